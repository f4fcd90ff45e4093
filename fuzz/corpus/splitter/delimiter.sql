-- a dump with a custom delimiter
SET NAMES utf8mb4;
DELIMITER //
CREATE TRIGGER orders_bi BEFORE INSERT ON orders FOR EACH ROW
BEGIN
  IF NEW.qty < 0 THEN SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'negative; refused'; END IF;
END//
DELIMITER ;
/*!40101 SET @saved = @@character_set_client */;
INSERT INTO t VALUES ('a;b'), ("c;d"), (`e;f`); # trailing comment
