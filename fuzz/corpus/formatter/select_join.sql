select o.id, c.name, sum(l.price * l.qty) as total
from orders o inner join customers c on c.id = o.customer_id
left join lines l on l.order_id = o.id
where o.state in ('paid', 'sent') and o.placed_at >= '2024-01-01' or c.vip = 1
group by o.id, c.name having total > 100 order by total desc limit 10;
